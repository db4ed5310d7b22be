// sweep_test
