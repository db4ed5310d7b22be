// objects_test
