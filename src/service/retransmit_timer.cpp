#include "service/retransmit_timer.h"

#include "service/session_table.h"

namespace {

TimerCallback retransmitHandler = nullptr;
std::uint32_t nextTimerId = 1;

} // namespace

void SetRetransmitHandler(TimerCallback handler)
{
    retransmitHandler = handler;
}

void ArmRetransmitTimer(Session* session)
{
    if (session->timerId != 0)
        KillTimer(session->timerId);
    session->timerId = nextTimerId++;
    if (nextTimerId == 0)
        nextTimerId = 1; // 0 means "no timer"
    session->retries = 0;
    SetTimer(session->timerId, session->retransmitMs != 0 ? session->retransmitMs : kRetransmitMs,
             retransmitHandler);
}

void StopRetransmitTimer(Session* session)
{
    KillTimer(session->timerId);
    session->timerId = 0;
}
