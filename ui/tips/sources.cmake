# The tip window and the small drawing helpers beside it.
list(APPEND ui_sources tips/Tips.cpp)
