#include "worker/devicelister.h"
#include "worker/stages.h"

std::unique_ptr<TStages> MakeSystemStages()
{
    return MakeSerialStages(MakeSystemDeviceLister());
}
