# The toolbar customization dialog.
list(APPEND ui_sources customize/ToolbarCustomization.cpp customize/ShowCustomize.cpp)
