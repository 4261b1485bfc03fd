#include "app/defaultstages.h"

#include "worker/devicelister.h"

std::unique_ptr<TStages> MakeDefaultStages()
{
    return MakeSerialStages(MakeUdevDeviceLister());
}
