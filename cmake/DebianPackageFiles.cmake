# Run by CPack (CPACK_PRE_BUILD_SCRIPTS) in the staging tree of the Debian package, before the
# package is made: what Debian's packaging tools do after the install step. The manual pages are
# compressed, and the copyright file and the changelog go into /usr/share/doc/litvorot. A plain
# `cmake --install` is left as it is.
#   CPACK_LITVOROT_DEBIAN_DIR   the folder with copyright and changelog
#   CPACK_LITVOROT_DEBIAN_DOC   the documentation folder under the prefix (share/doc/litvorot)
#   CPACK_LITVOROT_DEBIAN_MAN   the manual pages' folder under the prefix (share/man/man1)

# The staging tree: the variable's name differs between CPack versions.
set(root "${CPACK_TEMPORARY_INSTALL_DIRECTORY}")
if(NOT root)
    set(root "${CPACK_TEMPORARY_DIRECTORY}")
endif()
set(root "${root}${CPACK_PACKAGING_INSTALL_PREFIX}")
if(NOT IS_DIRECTORY "${root}/${CPACK_LITVOROT_DEBIAN_MAN}")
    message(FATAL_ERROR "no manual pages in the package's staging tree ${root}")
endif()

# gzip -9n: the best compression, and no name or time stamp in the file, so that the same page
# gives the same bytes.
function(gzip_to source target)
    execute_process(COMMAND gzip -9nc "${source}" OUTPUT_FILE "${target}" RESULT_VARIABLE failed)
    if(failed)
        message(FATAL_ERROR "gzip failed on ${source}")
    endif()
    file(CHMOD "${target}" PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
endfunction()

file(GLOB pages "${root}/${CPACK_LITVOROT_DEBIAN_MAN}/*.[1-9]")
foreach(page IN LISTS pages)
    gzip_to("${page}" "${page}.gz")
    file(REMOVE "${page}")
endforeach()

set(doc "${root}/${CPACK_LITVOROT_DEBIAN_DOC}")
file(MAKE_DIRECTORY "${doc}")
file(COPY_FILE "${CPACK_LITVOROT_DEBIAN_DIR}/copyright" "${doc}/copyright")
file(CHMOD "${doc}/copyright" PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
gzip_to("${CPACK_LITVOROT_DEBIAN_DIR}/changelog" "${doc}/changelog.gz")
