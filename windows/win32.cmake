# The Windows program's secondary windows: plain Win32 dialogs built from the resource script.
add_library(litvorot_windows_win32 STATIC
    modWindows.h modWindows_win32.h modWindows_win32.cpp
    dlgStatus_win32.h dlgStatus_win32.cpp
    dlgTable_win32.h dlgTable_win32.cpp
    frmHelp_win32.h frmHelp_win32.cpp
    frmAbout_win32.h frmAbout_win32.cpp)
target_include_directories(litvorot_windows_win32 PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(litvorot_windows_win32 PUBLIC litvorot_core user32 gdi32 ole32 oleaut32 uuid)
