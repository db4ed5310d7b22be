#include "soloud_file.h"

#include <climits>
#include <cstring>
#include <new>

#include "soloud.h"

namespace SoLoud
{
	unsigned int File::read8()
	{
		unsigned char d = 0;
		read(&d, 1);
		return d;
	}

	unsigned int File::read16()
	{
		unsigned char d[2] = {};
		read(d, 2);
		return d[0] | (d[1] << 8);
	}

	unsigned int File::read32()
	{
		unsigned char d[4] = {};
		read(d, 4);
		return d[0] | (d[1] << 8) | (d[2] << 16) | ((unsigned int)d[3] << 24);
	}

	DiskFile::DiskFile() {}

	DiskFile::DiskFile(FILE *fp) : mFileHandle(fp) {}

	DiskFile::~DiskFile()
	{
		if (mOwnsHandle && mFileHandle)
			fclose(mFileHandle);
	}

	result DiskFile::open(const char *aFilename)
	{
		if (!aFilename)
			return INVALID_PARAMETER;
		if (mOwnsHandle && mFileHandle)
			fclose(mFileHandle);
		mFileHandle = fopen(aFilename, "rb");
		mOwnsHandle = mFileHandle != 0;
		return mFileHandle ? SO_NO_ERROR : FILE_NOT_FOUND;
	}

	int DiskFile::eof()
	{
		return mFileHandle ? feof(mFileHandle) : 1;
	}

	unsigned int DiskFile::read(unsigned char *aDst, unsigned int aBytes)
	{
		return mFileHandle ? (unsigned int)fread(aDst, 1, aBytes, mFileHandle) : 0;
	}

	unsigned int DiskFile::length()
	{
		if (!mFileHandle)
			return 0;
		long at = ftell(mFileHandle);
		fseek(mFileHandle, 0, SEEK_END);
		long len = ftell(mFileHandle);
		fseek(mFileHandle, at, SEEK_SET);
		// Files the interface cannot describe read as empty.
		return (len < 0 || (unsigned long)len > UINT_MAX) ? 0 : (unsigned int)len;
	}

	void DiskFile::seek(int aOffset)
	{
		if (mFileHandle)
			fseek(mFileHandle, aOffset, SEEK_SET);
	}

	unsigned int DiskFile::pos()
	{
		long at = mFileHandle ? ftell(mFileHandle) : 0;
		return at < 0 ? 0 : (unsigned int)at;
	}

	MemoryFile::~MemoryFile()
	{
		close();
	}

	void MemoryFile::close()
	{
		if (mDataOwned)
			delete[] mDataPtr;
		mDataPtr = 0;
		mDataLength = 0;
		mOffset = 0;
		mDataOwned = false;
	}

	result MemoryFile::openMem(const unsigned char *aData, unsigned int aDataLength, bool aCopy, bool aTakeOwnership)
	{
		if (!aData || aDataLength == 0)
			return INVALID_PARAMETER;
		close();
		if (aCopy)
		{
			unsigned char *copy = new (std::nothrow) unsigned char[aDataLength];
			if (!copy)
				return OUT_OF_MEMORY;
			memcpy(copy, aData, aDataLength);
			mDataPtr = copy;
			mDataOwned = true;
		}
		else
		{
			mDataPtr = aData;
			mDataOwned = aTakeOwnership;
		}
		mDataLength = aDataLength;
		return SO_NO_ERROR;
	}

	result MemoryFile::openToMem(const char *aFilename)
	{
		DiskFile df;
		result res = df.open(aFilename);
		if (res != SO_NO_ERROR)
			return res;
		return openFileToMem(&df);
	}

	result MemoryFile::openFileToMem(File *aFile)
	{
		if (!aFile)
			return INVALID_PARAMETER;
		unsigned int len = aFile->length();
		// An empty or unmeasurable file (a length of -1 reads as UINT_MAX) has nothing to load.
		if (len == 0 || len == UINT_MAX)
			return FILE_LOAD_FAILED;
		unsigned char *data = new (std::nothrow) unsigned char[len];
		if (!data)
			return OUT_OF_MEMORY;
		aFile->seek(0);
		unsigned int got = aFile->read(data, len);
		if (got != len)
		{
			delete[] data;
			return FILE_LOAD_FAILED;
		}
		close();
		mDataPtr = data;
		mDataLength = len;
		mDataOwned = true;
		return SO_NO_ERROR;
	}

	int MemoryFile::eof()
	{
		return mOffset >= mDataLength;
	}

	unsigned int MemoryFile::read(unsigned char *aDst, unsigned int aBytes)
	{
		if (mOffset >= mDataLength)
			return 0;
		unsigned int n = mDataLength - mOffset;
		if (aBytes < n)
			n = aBytes;
		memcpy(aDst, mDataPtr + mOffset, n);
		mOffset += n;
		return n;
	}

	void MemoryFile::seek(int aOffset)
	{
		if (aOffset < 0)
			aOffset = 0;
		mOffset = (unsigned int)aOffset > mDataLength ? mDataLength : (unsigned int)aOffset;
	}
}
