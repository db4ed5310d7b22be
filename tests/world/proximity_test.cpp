// proximity_test
