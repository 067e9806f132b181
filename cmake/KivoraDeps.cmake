# Third-party libraries, all from Debian packages (scripts/install-deps).
find_package(Threads REQUIRED)
find_package(ZLIB REQUIRED)
find_package(PkgConfig REQUIRED)
pkg_check_modules(SQLITE3 REQUIRED IMPORTED_TARGET sqlite3)
pkg_check_modules(CURL REQUIRED IMPORTED_TARGET libcurl)
pkg_check_modules(OSMESA REQUIRED IMPORTED_TARGET osmesa)
pkg_check_modules(GLU REQUIRED IMPORTED_TARGET glu)
pkg_check_modules(FREETYPE REQUIRED IMPORTED_TARGET freetype2)
pkg_check_modules(CAIRO REQUIRED IMPORTED_TARGET cairo cairo-pdf)
find_path(STB_INCLUDE_DIR stb_image.h PATH_SUFFIXES stb REQUIRED)
pkg_check_modules(HTTPLIB REQUIRED IMPORTED_TARGET cpp-httplib)
# The display implementation: GTK 3 on X11, WebKitGTK, and GLX for the views.
pkg_check_modules(GTK3 REQUIRED IMPORTED_TARGET gtk+-3.0)
pkg_check_modules(WEBKIT REQUIRED IMPORTED_TARGET webkit2gtk-4.1)
pkg_check_modules(X11 REQUIRED IMPORTED_TARGET x11)
pkg_check_modules(GLX REQUIRED IMPORTED_TARGET glx)
# GTK asks every program to export its symbols (for GtkBuilder's signal lookup, which we
# do not use); that would make a program's copies of a component's globals clash with
# the component library's own.
foreach(_gtk_target PkgConfig::GTK3 PkgConfig::WEBKIT)
  get_target_property(_options ${_gtk_target} INTERFACE_LINK_OPTIONS)
  if(_options)
    list(REMOVE_ITEM _options "-Wl,--export-dynamic")
    set_target_properties(${_gtk_target} PROPERTIES INTERFACE_LINK_OPTIONS "${_options}")
  endif()
endforeach()
