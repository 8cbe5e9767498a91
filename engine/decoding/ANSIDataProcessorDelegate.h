#pragma once

class ANSIDataProcessor;
class ANSIDataProcessorResults;

// Receives the decoder's batches. Called synchronously on the thread that
// called processData(), at most once per call and only with at least one
// chunk.
class ANSIDataProcessorDelegate {
public:
    virtual ~ANSIDataProcessorDelegate() = default;
    virtual void ANSIDataProcessorReceived(ANSIDataProcessor* processor, const ANSIDataProcessorResults& results) = 0;
};
