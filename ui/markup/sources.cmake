# Markup mode: the canvas over the desktop, the markup bar with its pickers,
# and the punctuation and colour bars.
list(APPEND ui_sources markup/MarkupCanvas.cpp markup/PickerBars.cpp markup/MarkupBar.cpp
     markup/MarkupMode.cpp)
