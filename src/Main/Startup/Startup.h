#pragma once
#include "SFSE/Interfaces.h"

// The host's listener: on the post-data-load message it runs the start-up sequence.
void HandleOnPostDataLoad(SFSE::MessagingInterface::Message* message) noexcept;
