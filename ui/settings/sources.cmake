# The settings dialog: its host and pages, the profile editor and the macro
# editor with the export and import of macros.
set(ui_sources
  settings/SettingsMessages.cpp
  settings/SettingsHost.cpp
  settings/SettingsPage.cpp
  settings/GeneralPages.cpp
  settings/InkPage.cpp
  settings/RecoPage.cpp
  settings/MacrosPage.cpp
  settings/ProfileEditor.cpp
  settings/MacroEditor.cpp
)
