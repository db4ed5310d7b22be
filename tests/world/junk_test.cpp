// junk_test
