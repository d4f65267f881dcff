# The Windows program's resources: the icon, the two pictures, the tray menu and the dialogs,
# compiled by windres. The icon and the bitmaps are made from the PNG pictures at build time.
find_program(LITVOROT_IMAGEMAGICK NAMES magick convert-im6.q16 convert REQUIRED)

set(_out ${CMAKE_CURRENT_BINARY_DIR})
add_custom_command(OUTPUT ${_out}/litvorot.ico
    COMMAND ${LITVOROT_IMAGEMAGICK} ${CMAKE_CURRENT_SOURCE_DIR}/icon-16.png
            ${CMAKE_CURRENT_SOURCE_DIR}/icon-32.png ${_out}/litvorot.ico
    DEPENDS icon-16.png icon-32.png
    COMMENT "Program icon (16 x 16 and 32 x 32)")
# A 16-colour bitmap for the splash picture, one bit per pixel for the table.
add_custom_command(OUTPUT ${_out}/splash.bmp
    COMMAND ${LITVOROT_IMAGEMAGICK} ${CMAKE_CURRENT_SOURCE_DIR}/splash.png
            -background white -alpha remove -colors 16 -type Palette BMP3:${_out}/splash.bmp
    DEPENDS splash.png
    COMMENT "Splash picture")
add_custom_command(OUTPUT ${_out}/table.bmp
    COMMAND ${LITVOROT_IMAGEMAGICK} ${CMAKE_CURRENT_SOURCE_DIR}/table.png
            -background white -alpha remove -monochrome -type Bilevel BMP3:${_out}/table.bmp
    DEPENDS table.png
    COMMENT "Table picture")

add_library(litvorot_resources_win32 OBJECT litvorot.rc litvorot_rc.h)
target_include_directories(litvorot_resources_win32 PRIVATE ${_out} ${CMAKE_CURRENT_SOURCE_DIR})
set_source_files_properties(litvorot.rc PROPERTIES
    OBJECT_DEPENDS "${_out}/litvorot.ico;${_out}/splash.bmp;${_out}/table.bmp")

