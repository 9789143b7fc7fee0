# Fails when a source file includes a header of a layer above its own.
#   cmake -DSOURCE_DIR=<tree> -P CheckLayers.cmake
#
# Each layer names the layers its files may include, its own among them, separated by blanks.
# A file belongs to the layer whose folder is the longest that contains it; an include names
# its layer the same way.
# Includes without a folder ("test_window.h") are the file's neighbours and always allowed.

cmake_minimum_required(VERSION 3.21)

set(layers
    "platform"                  "platform"
    "output"                    "output platform"
    "engine"                    "engine output platform"
    "show"                      "show engine output platform"
    "cli"                       "cli"
    "render"                    "render cli engine output platform"
    "shell/win32/framework"     "shell/win32/framework platform"
    "shell/win32"               "shell/win32 shell/win32/framework show engine output platform"
    "shell/x11"                 "shell/x11 cli show engine output platform"
    "tests/support"             "tests/support engine output platform"
    "bench"                     "bench tests/support render cli show engine output platform"
    "tests"                     "tests tests/support shell/win32/framework shell/win32 shell/x11 render cli show engine output platform"
)

set(names)
list(LENGTH layers count)
math(EXPR last "${count} - 1")
foreach(i RANGE 0 ${last} 2)
    list(GET layers ${i} name)
    math(EXPR j "${i} + 1")
    list(GET layers ${j} allowed)
    string(REPLACE " " ";" allowed "${allowed}")
    list(APPEND names "${name}")
    string(REPLACE "/" "_" key "${name}")
    set("allowed_${key}" "${allowed}")
endforeach()

# The layer of a path relative to the tree, or "" for one outside every layer.
function(layer_of path out)
    set(best "")
    set(best_length 0)
    foreach(name IN LISTS names)
        string(LENGTH "${name}" length)
        string(FIND "${path}/" "${name}/" at)
        if(at EQUAL 0 AND length GREATER best_length)
            set(best "${name}")
            set(best_length ${length})
        endif()
    endforeach()
    set(${out} "${best}" PARENT_SCOPE)
endfunction()

set(sources)
foreach(name IN LISTS names)
    file(GLOB_RECURSE found RELATIVE "${SOURCE_DIR}"
         "${SOURCE_DIR}/${name}/*.h" "${SOURCE_DIR}/${name}/*.cpp" "${SOURCE_DIR}/${name}/*.c")
    list(APPEND sources ${found})
endforeach()
list(REMOVE_DUPLICATES sources)

set(violations 0)
foreach(source IN LISTS sources)
    layer_of("${source}" layer)
    string(REPLACE "/" "_" key "${layer}")
    file(STRINGS "${SOURCE_DIR}/${source}" lines REGEX "^[ \t]*#[ \t]*include[ \t]*\"[^\"]+/[^\"]+\"")
    foreach(line IN LISTS lines)
        string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*\"([^\"]+)\".*" "\\1" header "${line}")
        layer_of("${header}" target)
        if(target STREQUAL "" OR NOT target IN_LIST "allowed_${key}")
            message(SEND_ERROR "${source}: includes ${header}, "
                    "but ${layer} may use only: ${allowed_${key}}")
            math(EXPR violations "${violations} + 1")
        endif()
    endforeach()
endforeach()

if(violations GREATER 0)
    message(FATAL_ERROR "${violations} include(s) point up or out of the layers")
endif()
