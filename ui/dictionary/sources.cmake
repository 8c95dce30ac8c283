# The user dictionary editor and the import of words.
list(APPEND ui_sources dictionary/WordImport.cpp dictionary/UserDictEditor.cpp)
