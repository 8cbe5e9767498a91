#pragma once

#include "engine/connection/MUDCompressionFigures.h"
#include "engine/connection/MUDReceiveStream.h"

class MUDDocument;

// The lines a session shows about its server's compression (MCCP2): when
// it starts, when it ends and what it saved, and why it stopped when the
// server's compressed data could not be shown. Main thread.
namespace MUDSessionCompressionLines {
void show(MUDDocument& document, MUDReceiveStream::Event event, const MUDCompressionFigures& figures);
// What the connection's compression saved, when it had any.
void showDisconnected(MUDDocument& document, const MUDCompressionFigures& figures);
}
