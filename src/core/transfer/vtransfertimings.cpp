#include "transfer/vtransfertimings.h"

std::atomic<int> VTransferTimings::stallMs{10000};
std::atomic<int> VTransferTimings::probeMs{10000};
std::atomic<int> VTransferTimings::retrySleepMs{1000};

void VTransferTimings::reset()
{
    stallMs = 10000;
    probeMs = 10000;
    retrySleepMs = 1000;
}
