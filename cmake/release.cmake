# Who and what this release is, for the packages, the manual pages, the AppStream metadata and
# the Windows version resources:
#   RELAY_CONTACT (NAME <MAIL>) and RELAY_CONTACT_MAIL: who answers for the project;
#   RELAY_COPYRIGHT: the holder line of LICENSE without "Copyright (c)", e.g. "2026 The ...";
#   RELAY_RELEASE_DATE (YYYY-MM-DD) and RELAY_RELEASE_EPOCH (seconds): the date of the newest
#   entry of packaging/changelog (Debian's changelog format), which dates the manual pages and
#   the AppStream release, so that a rebuild makes the same files. That entry's version must be
#   the project's, so a new version cannot be built without an entry saying what changed.

set(RELAY_CONTACT "Relaytool developers <maintainers@relaytool.org>")
string(REGEX REPLACE "^.*<(.*)>$" "\\1" RELAY_CONTACT_MAIL "${RELAY_CONTACT}")

set(RELAY_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
file(STRINGS ${RELAY_LICENSE} license_holder REGEX "^Copyright \\(c\\) " LIMIT_COUNT 1)
string(REGEX REPLACE "^Copyright \\(c\\) " "" RELAY_COPYRIGHT "${license_holder}")
if(NOT RELAY_COPYRIGHT)
  message(FATAL_ERROR "${RELAY_LICENSE} has no \"Copyright (c) YEAR HOLDER\" line")
endif()

set(RELAY_CHANGELOG ${PROJECT_SOURCE_DIR}/packaging/changelog)
set_property(DIRECTORY ${PROJECT_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
             ${RELAY_CHANGELOG} ${RELAY_LICENSE})
file(STRINGS ${RELAY_CHANGELOG} changelog_heads REGEX "^[a-z]")
file(STRINGS ${RELAY_CHANGELOG} changelog_trailers REGEX "^ -- ")
list(GET changelog_heads 0 changelog_head)
list(GET changelog_trailers 0 changelog_trailer)
if(NOT changelog_head MATCHES "^[a-z0-9.+-]+ \\(([^)]+)\\) ")
  message(FATAL_ERROR "${RELAY_CHANGELOG}: the newest entry is not in Debian's changelog format")
endif()
if(NOT CMAKE_MATCH_1 STREQUAL PROJECT_VERSION)
  message(FATAL_ERROR "${RELAY_CHANGELOG}: the newest entry is version ${CMAKE_MATCH_1}, the "
                      "project is ${PROJECT_VERSION}: add an entry for ${PROJECT_VERSION}")
endif()
if(NOT changelog_trailer MATCHES "^ -- .+>  (.+)$")
  message(FATAL_ERROR "${RELAY_CHANGELOG}: the newest entry has no \" -- NAME <MAIL>  DATE\" line")
endif()
set(changelog_date ${CMAKE_MATCH_1})
foreach(format "%F:RELAY_RELEASE_DATE" "%s:RELAY_RELEASE_EPOCH")
  string(REPLACE ":" ";" format ${format})
  list(GET format 0 pattern)
  list(GET format 1 variable)
  execute_process(COMMAND date -u -d "${changelog_date}" +${pattern}
                  OUTPUT_VARIABLE ${variable} OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${RELAY_CHANGELOG}: cannot read the date \"${changelog_date}\"")
  endif()
endforeach()
