# Fails when the layers of src/ are broken:
#  - an engine folder's library (kronolab_base, ..._core) compiles a file of another folder;
#  - a file outside src/gui/ and src/app/ includes a Qt Gui or Widgets header (the engine and
#    the command-line tool run without a window system);
#  - a file of the moon pictures (src/gui/moon/MoonPicture.*) includes a Widgets header;
#  - a folder includes a folder above it: app, cli > gui/tray > gui/editor, gui/about >
#    gui/moon, gui/message > gui/widgets > core > core/journal > actions, storage, moon >
#    platform > base.
#    The command-line tool may use the moon pictures' one header.
# Run with -DSRC_DIR=<src> -DENGINE_SOURCES=<file of "folder source" lines>
#          -DQT_GUI_DIR=<dir> -DQT_WIDGETS_DIR=<dir>.

cmake_minimum_required(VERSION 3.25)

function(header_names dir out)
  file(GLOB entries RELATIVE "${dir}" "${dir}/Q*")
  set(${out} "${entries}" PARENT_SCOPE)
endfunction()
header_names("${QT_GUI_DIR}" gui_headers)
header_names("${QT_WIDGETS_DIR}" widget_headers)
if(NOT gui_headers OR NOT widget_headers)
  message(FATAL_ERROR "No Qt Gui or Widgets headers found in ${QT_GUI_DIR} / ${QT_WIDGETS_DIR}")
endif()

set(rank_app 9)
set(rank_cli 9)
set(rank_gui/tray 8)
set(rank_gui/editor 7)
set(rank_gui/about 7)
set(rank_gui/moon 6)
set(rank_gui/message 6)
set(rank_gui/widgets 5)
set(rank_core 4)
# The journal serves the scheduler and knows nothing of it (ranks compare as numbers).
set(rank_core/journal 3.5)
set(rank_actions 3)
set(rank_storage 3)
set(rank_moon 3)
set(rank_platform 2)
set(rank_base 1)

# The folder of a path below src/ (the platform's per-system folders count as platform).
function(folder_of path out)
  get_filename_component(dir "${path}" DIRECTORY)
  string(REGEX REPLACE "^platform/(posix|win)$" "platform" dir "${dir}")
  set(${out} "${dir}" PARENT_SCOPE)
endfunction()

set(offences "")

# Each line: an engine folder and one source of its library. A file compiled into another
# folder's library would let an upward call link after all.
file(STRINGS "${ENGINE_SOURCES}" engine_sources)
foreach(line IN LISTS engine_sources)
  if(NOT line MATCHES "^([a-z]+) (.+)$")
    continue()
  endif()
  set(library "${CMAKE_MATCH_1}")
  set(source "${CMAKE_MATCH_2}")
  if(IS_ABSOLUTE "${source}")
    string(FIND "${source}" "${SRC_DIR}/" at)
    if(NOT at EQUAL 0)
      continue() # generated in the build tree (moc)
    endif()
    file(RELATIVE_PATH source "${SRC_DIR}" "${source}")
  endif()
  folder_of("${source}" folder)
  # A folder's subfolders go into its library (core/journal into core); the include ranks
  # still keep them below it.
  if(NOT folder STREQUAL library AND NOT folder MATCHES "^${library}/")
    string(APPEND offences "the ${library} library compiles ${source} of folder ${folder}\n")
  endif()
endforeach()

file(GLOB_RECURSE files RELATIVE "${SRC_DIR}" "${SRC_DIR}/*.h" "${SRC_DIR}/*.cpp")
foreach(file IN LISTS files)
  folder_of("${file}" from)
  if(NOT DEFINED rank_${from})
    string(APPEND offences "${file}: folder ${from} has no place in the layers\n")
    continue()
  endif()
  file(STRINGS "${SRC_DIR}/${file}" includes REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"]")
  foreach(line IN LISTS includes)
    string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*[<\"]([^>\"]+)[>\"].*$" "\\1" name "${line}")
    # Qt headers by layer.
    string(REGEX REPLACE "^Qt(Gui|Widgets)/" "" bare "${name}")
    set(kind "")
    if(name MATCHES "^QtWidgets/" OR bare IN_LIST widget_headers)
      set(kind Widgets)
    elseif(name MATCHES "^QtGui/" OR bare IN_LIST gui_headers)
      set(kind Gui)
    endif()
    if(kind AND NOT from MATCHES "^(gui/|app$)")
      string(APPEND offences "${file}: includes the Qt ${kind} header <${name}>\n")
    endif()
    if(kind STREQUAL "Widgets" AND file MATCHES "^gui/moon/MoonPicture")
      string(APPEND offences "${file}: the moon pictures include the Widgets header <${name}>\n")
    endif()
    # Our own headers: only downwards.
    if(EXISTS "${SRC_DIR}/${name}" AND NOT IS_DIRECTORY "${SRC_DIR}/${name}")
      folder_of("${name}" to)
      if(NOT to STREQUAL from AND DEFINED rank_${to})
        if(from STREQUAL "cli" AND name STREQUAL "gui/moon/MoonPicture.h")
          continue()
        endif()
        if(NOT rank_${to} LESS rank_${from})
          string(APPEND offences "${file}: ${from} includes ${name}, which is not below it\n")
        endif()
      endif()
    endif()
  endforeach()
endforeach()

if(offences)
  message(FATAL_ERROR "The layers are broken:\n${offences}")
endif()
list(LENGTH files count)
message(STATUS "The layers hold (${count} files).")
