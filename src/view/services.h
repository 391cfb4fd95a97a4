#pragma once
// Connects the image library's Qt bridge to the program's services: the
// canvas factory, and the print dialog through the prompts service (so tests
// answer it like every other dialog). The view control calls it when it is
// created; the program may call it at start. Idempotent.

void InstallViewServices();
