// Registers the program's static image-format plugins with Qt's plugin loader.  Qt lists
// the plugins it finds on disk before the static ones, so an installed Qt plugin for the
// same format is asked first and keeps the format.
#include <QtPlugin>

Q_IMPORT_PLUGIN(HeifPlugin)
Q_IMPORT_PLUGIN(JxlPlugin)
