// Decoding of WAV, FLAC, Ogg Vorbis and MP3 through libsndfile, reading through a File.
#pragma once

#include <vector>

#include "soloud_file.h"

namespace SoLoud
{
	struct DecoderInfo
	{
		unsigned int channels = 0;
		unsigned int samplerate = 0;
		// Frame count the file announces (may be an estimate for MP3).
		long long frames = 0;
	};

	struct StreamDecoder;

	// Null when the data is not a sound this build can decode.
	StreamDecoder *open_decoder(File *aFile, DecoderInfo *aInfo);
	void close_decoder(StreamDecoder *aDecoder);
	// Reads up to aFrames interleaved frames; 0 at the end or on a read error.
	unsigned int decoder_read(StreamDecoder *aDecoder, float *aInterleaved, unsigned int aFrames);
	bool decoder_seek(StreamDecoder *aDecoder, long long aFrame);
	// Decodes the whole file; false when nothing decodable came out.
	bool decode_all(File *aFile, DecoderInfo *aInfo, std::vector<float> *aInterleaved);
}
