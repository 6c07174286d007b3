// Temporary definitions of operations that are still being built in their subsystem.
// Each subsystem removes its entries here when it lands; this file then goes away.
#include "app/mainwindow.h"
#include "download/download_list_dialog.h"
#include "download/download_manager.h"
#include "widgets/flow_layout.h"
#include "update/update_worker.h"

