#include "app/transfers/transfer_texts.h"

#include "app/transfers/transfers_model.h"

#include <QCoreApplication>

namespace {

QString Tr(const char* text)
{
    return QCoreApplication::translate("TransfersPanel", text);
}

} // namespace

QString ColumnTitle(int column)
{
    switch (column) {
    case TransfersModel::Peer:
        return Tr("Peer");
    case TransfersModel::File:
        return Tr("File");
    case TransfersModel::Direction:
        return Tr("Direction");
    case TransfersModel::Mode:
        return Tr("Mode");
    case TransfersModel::Bytes:
        return Tr("Bytes");
    case TransfersModel::Total:
        return Tr("Total");
    case TransfersModel::Progress:
        return Tr("Progress");
    case TransfersModel::Rate:
        return Tr("Rate");
    case TransfersModel::Elapsed:
        return Tr("Elapsed");
    case TransfersModel::Resends:
        return Tr("Resends");
    case TransfersModel::Status:
        return Tr("Status");
    default:
        return {};
    }
}

QString DirectionText(bool receiving)
{
    return receiving ? Tr("from peer") : Tr("to peer");
}

QString RunningText()
{
    return Tr("running");
}

QString UnknownTotalText()
{
    return Tr("unknown");
}

QString EndReasonText(TransferEnd end, std::uint16_t peerErrorCode, const char* peerMessage)
{
    switch (end) {
    case TransferEnd::None:
        return Tr("ended");
    case TransferEnd::Completed:
        return Tr("completed");
    case TransferEnd::PeerError:
        return Tr("failed: the peer sent error %1 (%2)")
            .arg(peerErrorCode)
            .arg(QString::fromUtf8(peerMessage));
    case TransferEnd::Abandoned:
        return Tr("failed: abandoned after retries");
    case TransferEnd::DiskFull:
        return Tr("failed: disk full");
    case TransferEnd::WriteFailed:
        return Tr("failed: could not write the file");
    case TransferEnd::ReadFailed:
        return Tr("failed: could not read the file");
    case TransferEnd::SendFailed:
        return Tr("failed: could not send to the peer");
    case TransferEnd::EndedByOperator:
        return Tr("failed: ended by the operator");
    }
    return {};
}

QString EndWord(TransferEnd end)
{
    switch (end) {
    case TransferEnd::None:
    case TransferEnd::EndedByOperator:
        return Tr("ended");
    case TransferEnd::Completed:
        return Tr("completed");
    case TransferEnd::PeerError:
        return Tr("peer error");
    case TransferEnd::Abandoned:
        return Tr("abandoned");
    case TransferEnd::DiskFull:
        return Tr("disk full");
    case TransferEnd::WriteFailed:
        return Tr("write error");
    case TransferEnd::ReadFailed:
        return Tr("read error");
    case TransferEnd::SendFailed:
        return Tr("send error");
    }
    return {};
}
