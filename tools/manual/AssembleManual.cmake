# Puts the manual together and renders it:
#   cmake -DSOURCE=docs/manual.md -DDIR=<build>/docs/manual -DPANDOC=pandoc -DVERSION=1.0.0
#         -P AssembleManual.cmake
# Each "<!-- generated: NAME -->" line of SOURCE becomes DIR/NAME.md; the result,
# DIR/manual.md, is rendered by pandoc into DIR/kestrane-manual.html, one page with its
# pictures (from DIR) inside it.
file(READ "${SOURCE}" text)
string(REGEX MATCHALL "<!-- generated: [a-z-]+ -->" markers "${text}")
foreach(marker IN LISTS markers)
  string(REGEX REPLACE "<!-- generated: ([a-z-]+) -->" "\\1" name "${marker}")
  if(NOT EXISTS "${DIR}/${name}.md")
    message(FATAL_ERROR "the manual asks for ${name}.md, which is not in ${DIR}")
  endif()
  file(READ "${DIR}/${name}.md" part)
  string(REPLACE "${marker}" "${part}" text "${text}")
endforeach()
string(REGEX MATCHALL "!\\[[^]]*\\]\\(([^)]+)\\)" images "${text}")
foreach(image IN LISTS images)
  string(REGEX REPLACE ".*\\(([^)]+)\\)" "\\1" file "${image}")
  if(NOT EXISTS "${DIR}/${file}")
    message(FATAL_ERROR "the manual shows ${file}, which is not in ${DIR}")
  endif()
endforeach()
file(WRITE "${DIR}/manual.md" "${text}")

execute_process(
  COMMAND "${PANDOC}" manual.md --from markdown --to html5 --standalone --self-contained
          --toc --toc-depth=2 --metadata "subtitle=Version ${VERSION}"
          --output kestrane-manual.html
  WORKING_DIRECTORY "${DIR}"
  RESULT_VARIABLE result
  ERROR_VARIABLE errors)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "pandoc failed on ${DIR}/manual.md:\n${errors}")
elseif(errors)
  message("pandoc: ${errors}")
endif()
