# The program's own tool-tip window, shown by the bars, the menus and the stickers.
set(ui_sources tips/Tips.cpp)
