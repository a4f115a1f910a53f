#include "platform/speech/audio_sink.h"

namespace lexavo::sp {

WAVEFORMATEX* NewWaveFormat(const AudioFormat& format) {
    auto* wfx = static_cast<WAVEFORMATEX*>(CoTaskMemAlloc(sizeof(WAVEFORMATEX)));
    if (!wfx) return nullptr;
    wfx->wFormatTag = WAVE_FORMAT_PCM;
    wfx->nChannels = format.channels;
    wfx->nSamplesPerSec = format.sampleRate;
    wfx->wBitsPerSample = format.bitsPerSample;
    wfx->nBlockAlign = static_cast<WORD>(format.channels * format.bitsPerSample / 8);
    wfx->nAvgBytesPerSec = format.sampleRate * wfx->nBlockAlign;
    wfx->cbSize = 0;
    return wfx;
}

HRESULT AudioFormatFromWave(const GUID* formatId, const WAVEFORMATEX* wfx, AudioFormat* format) {
    if (!formatId || !wfx || !format) return E_POINTER;
    if (!(*formatId == SPDFID_WaveFormatEx)) return SPERR_UNSUPPORTED_FORMAT;
    if (wfx->wFormatTag != WAVE_FORMAT_PCM || wfx->wBitsPerSample != 16 || wfx->nChannels == 0 ||
        wfx->nChannels > 2 || wfx->nSamplesPerSec < 4000 || wfx->nSamplesPerSec > 192000 ||
        wfx->nBlockAlign != wfx->nChannels * 2)
        return SPERR_UNSUPPORTED_FORMAT;
    *format = AudioFormat{wfx->nSamplesPerSec, wfx->nChannels, 16};
    return S_OK;
}

}  // namespace lexavo::sp
