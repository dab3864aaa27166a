#include "app/ui/corelog.h"

#include "common/log.h"

#include <QString>

#include <array>
#include <cstdlib>
#include <string_view>

namespace zorvane {

Q_LOGGING_CATEGORY(lcApp, "zorvane.app", QtWarningMsg)

namespace {

Q_LOGGING_CATEGORY(lcPlayer, "zorvane.player", QtWarningMsg)
Q_LOGGING_CATEGORY(lcFfmpeg, "zorvane.ffmpeg", QtWarningMsg)
Q_LOGGING_CATEGORY(lcCore, "zorvane.core", QtWarningMsg)

struct NamedCategory {
    std::string_view name;
    const QLoggingCategory &(*category)();
};

const std::array kCategories{NamedCategory{"player", lcPlayer}, NamedCategory{"ffmpeg", lcFfmpeg},
                             NamedCategory{"app", lcApp}};

const QLoggingCategory &categoryNamed(std::string_view name)
{
    for (const NamedCategory &known : kCategories) {
        if (known.name == name)
            return known.category();
    }
    return lcCore();
}

void toQt(std::string_view category, std::string_view message)
{
    const QLoggingCategory &target = categoryNamed(category);
    if (target.isDebugEnabled())
        QMessageLogger(nullptr, 0, nullptr, target.categoryName()).debug().noquote()
            << QString::fromUtf8(message.data(), static_cast<qsizetype>(message.size()));
}

bool anyEnabled()
{
    for (const NamedCategory &known : kCategories) {
        if (known.category().isDebugEnabled())
            return true;
    }
    return lcCore().isDebugEnabled();
}

} // namespace

void routeCoreLogIntoQt()
{
    const char *asked = std::getenv("ZORVANE_DEBUG");
    if (asked && *asked && std::string_view(asked) != "0")
        QLoggingCategory::setFilterRules(QStringLiteral("zorvane.*.debug=true"));
    setLogSink(toQt, anyEnabled());
}

} // namespace zorvane
