# The bar framework (masters, units, the bar window) and the floating bars
# (their shared window template and geometry).
set(ui_sources bars/BarFramework.cpp bars/BarGeometry.cpp bars/FloatingBar.cpp
    bars/BarGestures.cpp)
