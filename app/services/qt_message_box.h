// The message-box service of the program: real Qt boxes, shown on the
// user-interface thread. A worker that asks for a box waits for the answer;
// the user-interface thread must therefore never wait for a worker without
// processing events (see WorkerThread::join).
#pragma once

#include "platform/message_box.h"

platform::MessageAnswer showQtMessageBox(const platform::MessageRequest& request);

void installQtMessageBoxes();
