#include "widgets/help_request.h"

#include <utility>

namespace {

HelpEngine& InstalledEngine()
{
    static HelpEngine engine;
    return engine;
}

} // namespace

void SetDialogHelpEngine(HelpEngine engine)
{
    InstalledEngine() = std::move(engine);
}

int RequestDialogHelp(QWidget* owner, const char* file, unsigned command, unsigned long data)
{
    const HelpEngine& engine = InstalledEngine();
    return engine ? engine(owner, file, command, data) : 0;
}
