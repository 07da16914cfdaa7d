#include "platform/resources.h"

#include "platform/installed.h"

namespace kelvo::platform {

Resources::~Resources() = default;

QPixmap Resources::picture(const QString &name) const
{
    return QPixmap(QStringLiteral(":/pictures/%1.png").arg(name));
}

Resources &resources() { return Installed<Resources>::get(); }

void setResources(Resources *replacement) { Installed<Resources>::set(replacement); }

} // namespace kelvo::platform
