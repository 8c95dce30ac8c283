set(ui_sources draw/DrawOps.cpp)
