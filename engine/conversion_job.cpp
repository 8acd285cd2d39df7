#include "engine/conversion_job.h"

// Placeholder until the conversion run is built: reports that nothing was written.
bool ConversionJob::run() {
    if (notifier != nullptr) notifier->showMessage("The conversion run is not available yet.", MessageIcon::Error);
    return false;
}
