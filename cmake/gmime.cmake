# kalvorin_gmime: GMime, for the host's reading of mail.
#
# GMime and the libraries under it (GLib, GIO, GPGME, IDN) are linked from
# their static archives where the system has every one of them, which spares
# the host the loading and relocation of twelve shared libraries at its
# start: about 6 ms of every run on a virtual machine.
# Three kinds stay shared:
# - libmount, which Debian ships only shared, and libselinux and libblkid,
#   which it loads;
# - SQLite, so that the process holds one copy of it, with one record of the
#   locks it holds on the settings file, whatever code opens that file;
# - PCRE2, which libselinux loads anyway.
# Where an archive is missing, or the archives do not link (a newer GMime
# that needs one more library, say), the shared libraries of pkg-config are
# used. The host loads no GIO module, which would bring a second, shared GLib.
include_guard(GLOBAL)
include(CheckCXXSourceCompiles)
find_package(PkgConfig REQUIRED)
find_package(Threads REQUIRED)
pkg_check_modules(GMIME REQUIRED IMPORTED_TARGET gmime-3.0)

set(_kalvorin_gmime_archives
  gmime-3.0 gpgme assuan gpg-error gio-2.0 gobject-2.0 gmodule-2.0 glib-2.0 ffi idn2 unistring z)
set(_kalvorin_gmime_paths)
foreach(name IN LISTS _kalvorin_gmime_archives)
  find_library(KALVORIN_ARCHIVE_${name} NAMES lib${name}.a)
  if(NOT KALVORIN_ARCHIVE_${name})
    message(STATUS "GMime: no lib${name}.a, so GMime and GLib are linked shared")
    set(_kalvorin_gmime_paths)
    break()
  endif()
  list(APPEND _kalvorin_gmime_paths ${KALVORIN_ARCHIVE_${name}})
endforeach()
find_library(KALVORIN_LIBMOUNT NAMES mount)
find_library(KALVORIN_LIBSELINUX NAMES selinux)

set(_kalvorin_gmime_whole
  ${_kalvorin_gmime_paths} ${KALVORIN_LIBMOUNT} ${KALVORIN_LIBSELINUX} ${PCRE2_LINK_LIBRARIES} ${CMAKE_DL_LIBS} m
  Threads::Threads)
if(_kalvorin_gmime_paths AND KALVORIN_LIBMOUNT AND KALVORIN_LIBSELINUX)
  set(CMAKE_REQUIRED_INCLUDES ${GMIME_INCLUDE_DIRS})
  set(CMAKE_REQUIRED_LIBRARIES ${_kalvorin_gmime_whole})
  check_cxx_source_compiles("#include <gmime/gmime.h>
int main() { g_mime_init(); return 0; }"
    KALVORIN_GMIME_ARCHIVES_LINK)
  unset(CMAKE_REQUIRED_INCLUDES)
  unset(CMAKE_REQUIRED_LIBRARIES)
endif()

add_library(kalvorin_gmime INTERFACE)
if(KALVORIN_GMIME_ARCHIVES_LINK)
  target_include_directories(kalvorin_gmime INTERFACE ${GMIME_INCLUDE_DIRS})
  target_compile_options(kalvorin_gmime INTERFACE ${GMIME_CFLAGS_OTHER})
  target_link_libraries(kalvorin_gmime INTERFACE ${_kalvorin_gmime_whole})
else()
  target_link_libraries(kalvorin_gmime INTERFACE PkgConfig::GMIME)
endif()
