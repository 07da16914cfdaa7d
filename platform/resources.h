#pragma once
// The program's own picture resources, by name. Production reads those built into the
// program; a test may count the reads or withhold a picture.

#include <QPixmap>
#include <QString>

namespace kelvo::platform {

class Resources {
public:
    virtual ~Resources();

    // Null when there is no picture of that name.
    [[nodiscard]] virtual QPixmap picture(const QString &name) const;
};

// The resources in force: the built-in ones unless others are installed.
Resources &resources();
// Installs replacement resources (not owned), or restores the built-in ones with nullptr.
void setResources(Resources *replacement);

} // namespace kelvo::platform
