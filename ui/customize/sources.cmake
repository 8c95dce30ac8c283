# The customization dialogs of the main bar and the markup bar.
list(APPEND ui_sources customize/ToolbarCustomization.cpp customize/ShowCustomize.cpp
     customize/MarkupCustomization.cpp)
