# Fails when an include points up or sideways across the layers of src/:
#   platform                 includes nothing of ours above it
#   diary, settings          platform only
#   pages                    diary and platform
#   publish                  the core folders below it
#   app                      anything
# and when a core folder includes a Qt Widgets header.
# Run as: cmake -DSRC=<src dir> -DWIDGETS_INCLUDE=<QtWidgets include dir> -P CheckLayers.cmake
cmake_minimum_required(VERSION 3.25)
set(allowed_platform platform)
set(allowed_diary diary platform)
set(allowed_settings settings platform)
set(allowed_pages pages diary platform)
set(allowed_publish publish settings pages diary platform)
set(allowed_app app publish settings pages diary platform)
set(core_folders platform diary settings pages publish)

set(faults "")
foreach(folder platform diary settings pages publish app)
  file(GLOB_RECURSE sources "${SRC}/${folder}/*.h" "${SRC}/${folder}/*.cpp")
  foreach(source IN LISTS sources)
    file(STRINGS "${source}" includes REGEX "^[ \t]*#[ \t]*include")
    foreach(line IN LISTS includes)
      if(line MATCHES "#[ \t]*include[ \t]*\"([a-z]+)/[^\"]+\"")
        if(NOT CMAKE_MATCH_1 IN_LIST allowed_${folder})
          list(APPEND faults "${source}: ${line}")
        endif()
      elseif(line MATCHES "#[ \t]*include[ \t]*\"")
        list(APPEND faults "${source}: ${line} (name the folder)")
      elseif(folder IN_LIST core_folders AND line MATCHES "#[ \t]*include[ \t]*<([^>]+)>")
        if(EXISTS "${WIDGETS_INCLUDE}/${CMAKE_MATCH_1}" OR CMAKE_MATCH_1 MATCHES "^QtWidgets")
          list(APPEND faults "${source}: ${line} (widgets in the core)")
        endif()
      endif()
    endforeach()
  endforeach()
endforeach()

if(faults)
  list(JOIN faults "\n" report)
  message(FATAL_ERROR "Includes that break the layers:\n${report}")
endif()
message(STATUS "Every include points down.")
