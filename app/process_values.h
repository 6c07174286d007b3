#pragma once
// The start of the process-wide values: above both app/config.h and app/endpoints.h, so
// that the values every request reads (config) stay below the code that sends requests.

// Creates CACHE_DIR (with parents) and sets the fixed server addresses. Called at
// process start; tests call it again after pointing HOME or ZORBEL_SERVER elsewhere.
void init_process_values();
