// A sound decoded while it plays, from a file or from memory: meant for music.
#pragma once

#include "soloud.h"

namespace SoLoud
{
	class File;
	class MemoryFile;
	class WavStream;
	struct StreamDecoder;

	class WavStreamInstance : public AudioSourceInstance
	{
	public:
		explicit WavStreamInstance(WavStream *aParent);
		~WavStreamInstance() override;
		unsigned int getAudio(float *aBuffer, unsigned int aSamplesToRead, unsigned int aBufferSize) override;
		bool hasEnded() override;
		result rewind() override;
		result seek(time aSeconds, float *aScratch, unsigned int aScratchSize) override;

		WavStream *mParent;
		File *mFile = 0;
		StreamDecoder *mDecoder = 0;
		unsigned int mOffset = 0;
		bool mEnded = false;
	};

	class WavStream : public AudioSource
	{
	public:
		WavStream();
		~WavStream() override;
		result load(const char *aFilename);
		result loadMem(const unsigned char *aData, unsigned int aDataLen, bool aCopy = false, bool aTakeOwnership = true);
		result loadToMem(const char *aFilename);
		// Streams from aFile while playing: the caller keeps aFile alive as long as this.
		result loadFile(File *aFile);
		// Copies aFile into memory and streams from the copy.
		result loadFileToMem(File *aFile);
		AudioSourceInstance *createInstance() override;
		time getLength();

		// Each instance opens its own reader over this: a file name, a memory block or a File.
		char *mFilename = 0;
		MemoryFile *mMemFile = 0;
		File *mStreamFile = 0;
		unsigned int mSampleCount = 0;

	private:
		void freeData();
		result probe(File *aFile);
		// Takes the memory file when it opened and probes as sound; frees it otherwise
		// (it may be null then). Either way what the stream held before is dropped.
		result adoptMemFile(MemoryFile *aMemFile, result aOpenResult);
	};
}
