# Dusk.app's icon, drawn at build time from the artwork Linux installs, with
# tools every Mac has: Quick Look draws the SVG once at 1024 pixels, sips
# scales that to each size of an iconset, and iconutil packs the set.
#
#   cmake -DSVG=<artwork.svg> -DICNS=<Dusk.icns> -P AppIcon.cmake
cmake_minimum_required(VERSION 3.25)

set(work "${ICNS}.parts")
set(iconset "${work}/Dusk.iconset")
file(REMOVE_RECURSE "${work}")
file(MAKE_DIRECTORY "${iconset}")

include(${CMAKE_CURRENT_LIST_DIR}/../../cmake/CheckedRun.cmake)

# Quick Look names what it draws after the file, with .png added.
run("Quick Look drawing ${SVG}" qlmanage -t -s 1024 -o "${work}" "${SVG}")
get_filename_component(name "${SVG}" NAME)
set(drawn "${work}/${name}.png")
if(NOT EXISTS "${drawn}")
  message(FATAL_ERROR "Quick Look drew nothing for ${SVG}")
endif()
# The artwork's rounded square sits on a transparent margin, as macOS draws
# app icons; a drawing without alpha would put it on a white card.
execute_process(COMMAND sips -g pixelWidth -g pixelHeight -g hasAlpha "${drawn}" OUTPUT_VARIABLE properties)
if(NOT properties MATCHES "pixelWidth: 1024" OR NOT properties MATCHES "pixelHeight: 1024"
   OR NOT properties MATCHES "hasAlpha: yes")
  message(FATAL_ERROR "Quick Look did not draw ${SVG} as a transparent 1024-pixel square:\n${properties}")
endif()

function(scale pixels file)
  run("sips scaling to ${pixels} pixels" sips -s format png -z ${pixels} ${pixels} "${drawn}" --out "${iconset}/${file}")
endfunction()

# Each size of the set in points, at 1x and at 2x.
foreach(points 16 32 128 256 512)
  math(EXPR doubled "${points} * 2")
  scale(${points} "icon_${points}x${points}.png")
  scale(${doubled} "icon_${points}x${points}@2x.png")
endforeach()

run("iconutil packing ${iconset}" iconutil -c icns -o "${ICNS}" "${iconset}")
file(REMOVE_RECURSE "${work}")
