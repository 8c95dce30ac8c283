# The binding panel and the binding menus.
list(APPEND ui_sources binding/BindPanel.cpp)
