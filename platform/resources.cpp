#include "platform/resources.h"

namespace kelvo::platform {

namespace {

Resources *replacementResources = nullptr;

} // namespace

Resources::~Resources() = default;

QPixmap Resources::picture(const QString &name) const
{
    return QPixmap(QStringLiteral(":/pictures/%1.png").arg(name));
}

Resources &resources()
{
    static Resources builtIn;
    return replacementResources ? *replacementResources : builtIn;
}

void setResources(Resources *replacement)
{
    replacementResources = replacement;
}

} // namespace kelvo::platform
