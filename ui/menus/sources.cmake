# The text menus: the word-list menu with its letter editing, the plain pop-up
# menus and the word-to-dictionary menu. The word list and the letter boxes
# are scribix_menu_logic (ui/CMakeLists.txt).
list(APPEND ui_sources
  menus/MenuGroup.cpp
  menus/TextMenu.cpp
  menus/WordListMenu.cpp
  menus/WordListMenuBar.cpp
  menus/PureTextMenu.cpp)
