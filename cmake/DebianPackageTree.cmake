# Run by CPack on its staging tree of the Debian package (CPACK_PRE_BUILD_SCRIPTS): adds the
# files Debian asks of every package, compresses what it wants compressed and strips the
# programs as Debian's own packages are stripped.
set(root "${CPACK_TEMPORARY_INSTALL_DIRECTORY}${CPACK_PACKAGING_INSTALL_PREFIX}")
set(doc "${root}/share/doc/${CPACK_PACKAGE_NAME}")

function(run)
    execute_process(COMMAND ${ARGN} RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
        message(FATAL_ERROR "${ARGN}: ${status}")
    endif()
endfunction()

file(MAKE_DIRECTORY "${doc}")
file(COPY "${CPACK_ORVANE_PACKAGING_DIR}/copyright" DESTINATION "${doc}")
set(PROJECT_VERSION "${CPACK_PACKAGE_VERSION}")
set(MAINTAINER "${CPACK_DEBIAN_PACKAGE_MAINTAINER}")
set(DATE "${CPACK_ORVANE_CHANGELOG_DATE}")
configure_file("${CPACK_ORVANE_PACKAGING_DIR}/changelog.in" "${doc}/changelog" @ONLY)

# Manual pages and the changelog gzip'ed at the highest level, without a time stamp.
file(GLOB manual_pages "${root}/share/man/man*/*.[1-9]")
foreach(file IN LISTS manual_pages ITEMS "${doc}/changelog")
    run(gzip -9n "${file}")
endforeach()

# No symbols, compiler comments or notes in the programs; the video module keeps the dynamic
# symbols it is loaded by, as Debian strips its shared objects.
file(GLOB programs LIST_DIRECTORIES false "${root}/bin/*")
foreach(program IN LISTS programs)
    if(NOT IS_SYMLINK "${program}")
        run("${CPACK_ORVANE_STRIP}" --remove-section=.comment --remove-section=.note "${program}")
    endif()
endforeach()
file(GLOB_RECURSE modules "${root}/lib/*.so")
foreach(module IN LISTS modules)
    run("${CPACK_ORVANE_STRIP}" --strip-unneeded --remove-section=.comment
        --remove-section=.note "${module}")
endforeach()
