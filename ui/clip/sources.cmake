# The screen clipping tool and where its clips go.
list(APPEND ui_sources clip/ClipOutput.cpp clip/ScreenCapture.cpp)
