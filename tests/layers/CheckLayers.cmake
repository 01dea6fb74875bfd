# Fails when an include points up or sideways across the layers of src/:
#   platform                 includes nothing of ours above it
#   diary, settings          platform only
#   pages                    diary and platform
#   pictures                 pages, diary and platform
#   publish/client           the core folders below publish
#   publish/ftp, /sftp       publish/client and below, never each other
#   publish                  publish/client and below; only PublishClientFactory.cpp, which
#                            picks a client, sees publish/ftp and publish/sftp
#   backup                   settings, pages, diary and platform
#   journal                  backup, publish, publish/client, pictures and below; neither publish nor
#                            backup includes it
#   app/kit                  the core; app/start and the window rooms below also app/kit
#   app/settings, app/site, app/search, app/backup, app/publish   one room each, never each other
#   app/entry                also app/publish (OK hands the saved day to the upload)
#   app/rooms                nothing of ours: what the calendar asks of the windows' module
#   app/calendar             app/rooms and app/kit, never another window room nor app/start
#   app/module               every window room and app/calendar, never app/start
#   (main.cpp)               app/start and app/calendar
# and when a core folder includes a Qt Widgets header.
# Run as: cmake -DSRC=<src dir> -DWIDGETS_INCLUDE=<QtWidgets include dir> -P CheckLayers.cmake
cmake_minimum_required(VERSION 3.25)
set(below_publish settings pages diary platform)
set(allowed_platform platform)
set(allowed_diary diary platform)
set(allowed_settings settings platform)
set(allowed_pages pages diary platform)
set(allowed_pictures pictures pages diary platform)
set(allowed_publish/client publish/client ${below_publish})
set(allowed_publish/ftp publish/ftp publish/client ${below_publish})
set(allowed_publish/sftp publish/sftp publish/client ${below_publish})
set(allowed_publish publish publish/client ${below_publish})
set(allowed_backup backup ${below_publish})
set(allowed_journal journal backup publish publish/client pictures ${below_publish})
set(core_of_app journal backup publish publish/client pictures ${below_publish})
set(allowed_app/kit app/kit ${core_of_app})
set(allowed_app/start app/start app/kit ${core_of_app})
set(allowed_app/settings app/settings app/kit ${core_of_app})
set(allowed_app/site app/site app/kit ${core_of_app})
set(allowed_app/search app/search app/kit ${core_of_app})
set(allowed_app/backup app/backup app/kit ${core_of_app})
set(allowed_app/publish app/publish app/kit ${core_of_app})
set(allowed_app/entry app/entry app/publish app/kit ${core_of_app})
set(allowed_app/rooms app/rooms)
set(allowed_app/calendar app/calendar app/rooms app/kit ${core_of_app})
set(allowed_app/module app/module app/calendar app/rooms app/entry app/settings app/site
    app/search app/backup app/publish app/kit ${core_of_app})
set(allowed_PublishClientFactory.cpp ${allowed_publish} publish/ftp publish/sftp)
set(core_folders platform diary settings pages pictures publish publish/client publish/ftp publish/sftp backup
    journal)
set(app_rooms app/kit app/start app/settings app/site app/search app/backup app/publish
    app/entry app/rooms app/calendar app/module)
set(folders platform diary settings pages pictures publish/client publish/ftp publish/sftp publish backup
    journal ${app_rooms})

set(faults "")
set(allowed_main.cpp app/start app/calendar platform)
foreach(folder IN LISTS folders ITEMS main)
  if(folder STREQUAL "main")
    set(sources "${SRC}/main.cpp")
  else()
    file(GLOB sources "${SRC}/${folder}/*.h" "${SRC}/${folder}/*.cpp")
  endif()
  foreach(source IN LISTS sources)
    get_filename_component(name "${source}" NAME)
    set(allowed ${allowed_${folder}})
    if(DEFINED allowed_${name})
      set(allowed ${allowed_${name}})
    endif()
    file(STRINGS "${source}" includes REGEX "^[ \t]*#[ \t]*include")
    foreach(line IN LISTS includes)
      if(line MATCHES "#[ \t]*include[ \t]*\"(([a-z]+/)+)[^/\"]+\"")
        # The unit an include names: its folders, without the file's name.
        string(REGEX REPLACE "/$" "" unit "${CMAKE_MATCH_1}")
        if(NOT unit IN_LIST allowed)
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

# A folder the rules above do not name would go unchecked.
file(GLOB_RECURSE all_sources "${SRC}/*/*.h" "${SRC}/*/*.cpp")
foreach(source IN LISTS all_sources)
  file(RELATIVE_PATH relative "${SRC}" "${source}")
  get_filename_component(folder "${relative}" DIRECTORY)
  if(NOT folder IN_LIST folders)
    list(APPEND faults "${source}: in a folder without a layer rule")
  endif()
endforeach()

if(faults)
  list(JOIN faults "\n" report)
  message(FATAL_ERROR "Includes that break the layers:\n${report}")
endif()
message(STATUS "Every include points down.")
