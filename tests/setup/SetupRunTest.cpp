// end-to-end runs of setup.exe come here
