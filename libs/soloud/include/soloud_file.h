// The mixer's file interface: every loader reads through a File, so sound data can come
// from disk, from memory or from any virtual file system that derives its own File.
#pragma once

#include <cstdio>

namespace SoLoud
{
	typedef unsigned int result;

	class File
	{
	public:
		virtual ~File() {}
		unsigned int read8();
		unsigned int read16();
		unsigned int read32();
		virtual int eof() = 0;
		virtual unsigned int read(unsigned char *aDst, unsigned int aBytes) = 0;
		virtual unsigned int length() = 0;
		virtual void seek(int aOffset) = 0;
		virtual unsigned int pos() = 0;
		virtual FILE *getFilePtr() { return 0; }
		virtual unsigned char *getMemPtr() { return 0; }
	};

	// A file on disk through stdio. Owns the FILE* only when it opened it itself.
	class DiskFile : public File
	{
	public:
		DiskFile();
		explicit DiskFile(FILE *fp);
		~DiskFile() override;
		result open(const char *aFilename);
		int eof() override;
		unsigned int read(unsigned char *aDst, unsigned int aBytes) override;
		unsigned int length() override;
		void seek(int aOffset) override;
		unsigned int pos() override;
		FILE *getFilePtr() override { return mFileHandle; }

	private:
		FILE *mFileHandle = 0;
		bool mOwnsHandle = false;
	};

	// A block of memory read as a file, borrowed or owned.
	class MemoryFile : public File
	{
	public:
		MemoryFile() {}
		~MemoryFile() override;
		MemoryFile(const MemoryFile &) = delete;
		MemoryFile &operator=(const MemoryFile &) = delete;
		result openMem(const unsigned char *aData, unsigned int aDataLength, bool aCopy = false, bool aTakeOwnership = true);
		result openToMem(const char *aFilename);
		// Copies the whole of aFile into memory; fails when fewer bytes arrive than
		// the file claims to hold.
		result openFileToMem(File *aFile);
		int eof() override;
		unsigned int read(unsigned char *aDst, unsigned int aBytes) override;
		unsigned int length() override { return mDataLength; }
		void seek(int aOffset) override;
		unsigned int pos() override { return mOffset; }
		unsigned char *getMemPtr() override { return const_cast<unsigned char *>(mDataPtr); }

	private:
		void close();
		const unsigned char *mDataPtr = 0;
		unsigned int mDataLength = 0;
		unsigned int mOffset = 0;
		bool mDataOwned = false;
	};
}
