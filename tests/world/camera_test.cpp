// camera_test
