// noise_test
