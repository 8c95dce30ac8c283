# The bar framework (masters, units, the bar window) and the floating bars' geometry.
set(ui_sources bars/BarFramework.cpp bars/BarGeometry.cpp)
