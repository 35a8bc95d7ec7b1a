#include "app/print/print_error_report.h"

#include "app/common/message_box.h"
#include "app/common/string_resource.h"

#include <QString>

namespace {

constexpr unsigned kNotPrintedText = 32591;
constexpr unsigned kPrintErrorCaption = 32597;

// The reason of each failure result, from -1 down to -5.
constexpr unsigned kReasons[] = {32596, 32594, 32595, 32593, 32592};

} // namespace

bool ReportPrintError(QWidget* owner, const QString& title, int result)
{
    if (result > spool::kError || result < spool::kOutOfMemory)
        return false;
    const QString reason = StringResource(kReasons[-1 - result]);
    QString text = StringResource(kNotPrintedText);
    const qsizetype first = text.indexOf(QLatin1String("%s"));
    if (first >= 0)
        text.replace(first, 2, title);
    const qsizetype second = text.indexOf(QLatin1String("%s"), first + title.size());
    if (first >= 0 && second >= 0)
        text.replace(second, 2, reason);
    ShowMessageBox(owner, text, StringResource(kPrintErrorCaption), BoxIcon::Stop, BoxButtons::Ok);
    return true;
}
