# Dusk.ico, drawn at build time from the artwork Linux installs: rsvg-convert
# draws each size a Windows icon holds, and ImageMagick packs them.
#
#   cmake -DSVG=<artwork.svg> -DICO=<Dusk.ico> -P AppIcon.cmake
cmake_minimum_required(VERSION 3.25)

set(work "${ICO}.parts")
file(REMOVE_RECURSE "${work}")
file(MAKE_DIRECTORY "${work}")

include(${CMAKE_CURRENT_LIST_DIR}/../../cmake/CheckedRun.cmake)

set(drawn)
foreach(pixels 16 20 24 32 40 48 64 256)
  run("rsvg-convert drawing ${pixels} pixels" rsvg-convert -w ${pixels} -h ${pixels} -o "${work}/${pixels}.png" "${SVG}")
  list(APPEND drawn "${work}/${pixels}.png")
endforeach()
run("ImageMagick packing ${ICO}" convert ${drawn} "${ICO}")
file(REMOVE_RECURSE "${work}")
