# The main bar.
set(ui_sources mainbar/MainBar.cpp)
