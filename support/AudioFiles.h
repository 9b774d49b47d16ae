// Every header of the audio files together, for a caller that uses most of them: reading
// (AudioReader.h), containers and sample formats (AudioFormat.h), where outputs go and their rules
// (OutputPlace.h), outputs that appear only when complete (PendingFile.h) and writing (AudioWriter.h).
#pragma once

#include "AudioFormat.h"
#include "AudioMetadata.h"
#include "AudioReader.h"
#include "AudioWriter.h"
#include "OutputPlace.h"
#include "PendingFile.h"
