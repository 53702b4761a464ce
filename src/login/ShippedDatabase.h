#pragma once

#include <QString>

namespace login {

// Writes the lib.mdb that the program is installed with: the seven tables, the super user
// (empty password), the settings row, the category definitions and value lists, and the
// three print settings rows. The backup folder is left empty: it means the program folder
// wherever the program is installed, never a folder of the machine that built it.
void writeShippedDatabase(const QString& path);

} // namespace login
