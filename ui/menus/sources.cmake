# The text menus: the word-list menu with its letter editing, the plain pop-up
# menus and the word-to-dictionary menu.
list(APPEND ui_sources
  menus/WordListModel.cpp
  menus/LetterBoxes.cpp
  menus/MenuGroup.cpp
  menus/TextMenu.cpp
  menus/WordListMenu.cpp
  menus/WordListMenuBar.cpp
  menus/PureTextMenu.cpp)
