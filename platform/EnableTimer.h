#pragma once

class QTimer;

// Starts timer unless it is already running. QTimer::start() restarts a running timer,
// which would put its next tick off; enabling a window timer that runs changes nothing.
void enableTimer(QTimer& timer);
